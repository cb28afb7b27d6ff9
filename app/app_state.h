// Everything one instance of the program keeps between window messages: the
// records the main window, the settings, the language tables and the update
// run share. One object, owned by the front end and passed by reference.
#pragma once

#include "app/profile_store.h"
#include "app/settings.h"
#include "languages/catalogue.h"
#include "languages/image_builder.h"
#include "link/cancellation.h"
#include "link/clock.h"
#include "link/data_paths.h"
#include "link/run_context.h"
#include "link/serial_backend.h"
#include "link/serial_port.h"

namespace r7700 {

struct AppState {
  DataPaths paths;
  LanguageChoices choices;
  LanguageCatalogue catalogue;
  SelectedLanguages selected = kInitialSelectedLanguages;
  Settings settings;
  FreePortList ports;
  LanguageImageBuilder image_builder;
  RunOptions run_options;                                   // those of the last run
  InstrumentReach run_reach = InstrumentReach::kUntouched;  // that of the last run
};

// The platform seams the program runs on.
struct Services {
  SerialBackend& serial;
  ProfileStore& profiles;
  Clock& clock;
  // Set by the front end to interrupt a run; none: runs are never interrupted.
  const CancelFlag* cancel = nullptr;
};

}  // namespace r7700
