	ORG	$8000
	CMP	#5
;	IF	LE
	BEQ	..lop1	;This is the line which kelvad generated
	BCC	*+5	;This is the line which kelvad generated
	JMP	.L1	;This is the line which kelvad generated
..lop1:
	DS	130
;	ELSE
	BRA	.L2
.L1:
	INX
;	ENDIF
.L2:
	RTS
