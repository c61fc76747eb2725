#include "app/MarlowinApp.h"

// The one application object, constructed before the framework's entry routine runs it.
CMarlowinApp theApp;
