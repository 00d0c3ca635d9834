prog.qsm 12 E18: branch out of range "..lop3"
prog.qsm 14 E04: duplicate label "..lop3"
