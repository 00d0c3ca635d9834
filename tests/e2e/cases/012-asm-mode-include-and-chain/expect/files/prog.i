	ORG	$8000
; waits until the counter is at most 5
;WAIT:	DO
WAIT:
.L1:
	  DS	130
	  LDA	$10
	  CMP	#5
;	WHILE	LE
	BEQ	..lop1	;This is the line which kelvad generated
	BCS	..lop2	;This is the line which kelvad generated
..lop1:
	JMP	.L1	;This is the line which kelvad generated
..lop2:
	RTS
