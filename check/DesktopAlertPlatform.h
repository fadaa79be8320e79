#pragma once
// The alert platform of the system the program is built for.

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "check/WinAlertPlatform.h"
using CDesktopAlertPlatform = CWinAlertPlatform;
#else
#include "check/QtAlertPlatform.h"
using CDesktopAlertPlatform = CQtAlertPlatform;
#endif
