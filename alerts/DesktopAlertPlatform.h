#pragma once
// The alert platform of the system the program is built for.

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "alerts/WinAlertPlatform.h"
using CDesktopAlertPlatform = CWinAlertPlatform;
#else
#include "alerts/QtAlertPlatform.h"
using CDesktopAlertPlatform = CQtAlertPlatform;
#endif
