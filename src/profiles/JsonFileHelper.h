#pragma once
// The JSON file helper lives in src/platform; this name stays for its many callers.
#include "platform/JsonFileHelper.h"
