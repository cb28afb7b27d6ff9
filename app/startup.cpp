#include "app/startup.h"

#include "app/resources/resource.h"

namespace r7700 {

int LoadStartupData(AppState& app, Services& services, WindowSurface& window,
                    const std::string& fixed_port) {
  if (const int result = LoadLanguageChoices(window, app.paths, app.choices); result != 0) {
    return result;
  }
  if (fixed_port.empty()) {
    if (const int result = FillPortList(services.serial, app.ports, window); result != 0) {
      return result;
    }
  } else {
    app.ports.names = {fixed_port};
    window.ListAdd(IDC_PORT_LIST, fixed_port);
    window.ListSelect(IDC_PORT_LIST, 0);
  }
  FillBaudList(window);
  return LoadSettings(window, services.profiles, app.paths, app.choices, app.selected,
                      app.settings);
}

}  // namespace r7700
