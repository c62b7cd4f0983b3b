/* The Win32 surface the program is written against: the real headers on Windows, our stand-in on the host. */
#ifndef MOXU_PLATFORM_H
#define MOXU_PLATFORM_H

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <dbt.h>
#else
#include "winstub.h"
#endif

#endif
