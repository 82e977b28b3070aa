sdvigul_add_qtest(tst_helpfile SOURCES tst_helpfile.cpp LIBS sdvigul_help)
