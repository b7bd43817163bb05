// The most impolite host: it calls the plug-in again while a call of it is still running.
#pragma once

#include <string>
#include <vector>

#include "driver.h"

enum class CallAgainPoint { Never, Fill, Strip, Status, Timer, Box };

// The point named fill, strip, status, timer or box; false for any other name.
bool ParseCallAgainPoint(const std::wstring& name, CallAgainPoint& point);

// From now on the host calls the plug-in again at the point: from its FillArticleSpans, from its
// StripTags, once the status line is set, from the driver's timer before OK is pressed, or while
// each message box is up. It calls with another window's tables, all of whose words are zero,
// and journals "again: at=POINT result=N". Call after the tables are filled and the status line
// journaled; the driver's points are set in each run's options.
void CallAgainAt(CallAgainPoint point, std::vector<DriveOptions>& runs);
