# SPDX-License-Identifier: GPL-3.0-or-later
sdvigul_add_qtest(tst_helpfile SOURCES tst_helpfile.cpp LIBS sdvigul_help)
