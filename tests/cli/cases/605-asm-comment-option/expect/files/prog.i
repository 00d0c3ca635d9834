;	BEQ	FAR
	BEQ	..lop1	;This is the line which kelvad generated
;	BNE	FAR
	BEQ	..lop2	;This is the line which kelvad generated
..lop1:
	JMP	FAR	;This is the line which kelvad generated
..lop2:
	BRA	.L1
;	BEQ	NEAR
	BNE	..lop3	;This is the line which kelvad generated
	JMP	NEAR	;This is the line which kelvad generated
..lop3:
