	BNE	..lop1	;This is the line which kelvad generated
	JMP	A	;This is the line which kelvad generated
..lop1:
	NOP
	BCC	..lop2	;This is the line which kelvad generated
	BCC	..lop3	;This is the line which kelvad generated
..lop2:
	JMP	B	;This is the line which kelvad generated
..lop3:
