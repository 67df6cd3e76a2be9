// The window program: one main window per machine.
#include "shell/salvor_app.h"

int main(int argc, char** argv) {
  keelmend::CSalvorApp app(argc, argv);
  if (!app.InitInstance()) return 1;
  return app.exec();
}
