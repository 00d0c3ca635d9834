prog.qsm 2 E03: undefined symbol "UNDEF"
prog.qsm 6 E01: unknown mnemonic "X.Y"
