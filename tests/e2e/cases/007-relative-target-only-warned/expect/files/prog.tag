prog.qsm 2 E18: branch out of range "*+200"
