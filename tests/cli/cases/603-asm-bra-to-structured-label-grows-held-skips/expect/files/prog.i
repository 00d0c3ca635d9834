; preprocessed from prog.qsm
	LDA	#0
	BEQ	..lop1	;This is the line which kelvad generated
	BCC	*+5	;This is the line which kelvad generated
	JMP	.LABEL3	;This is the line which kelvad generated
..lop1:
	NOP
.LABEL3:
	RTS
