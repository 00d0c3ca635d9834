; demo
	BNE	..lop1	;This is the line which kelvad generated
	JMP	FAR	;This is the line which kelvad generated
..lop1:
	LDA	#1
	STA	$10
	LDX	#2
	BCC	..lop2	;This is the line which kelvad generated
	JMP	NEAR2	;This is the line which kelvad generated
..lop2:
	NOP
FAR:	RTS
