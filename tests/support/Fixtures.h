#pragma once

#include "RecordingView.h"
#include "ScriptedServer.h"
#include "StandInLauncher.h"
#include "SessionProbe.h"
