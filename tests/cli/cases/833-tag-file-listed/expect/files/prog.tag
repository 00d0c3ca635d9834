prog.qsm 2 E18: branch out of range "FAR"
prog.tag 2 E18: branch out of range "FAR"
