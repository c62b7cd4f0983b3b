/* A fresh program and stand-in: shared by the unit tests and the fuzz targets. */
#ifndef MOXU_TEST_RESET_H
#define MOXU_TEST_RESET_H

/* The program's process-wide state back to its start values, a fresh stand-in,
   and the program's callbacks named in the trace. */
void ResetProgram();

#endif
