// The tray program's entry point.
#include "app/NubrelApp.h"

int main(int argc, char** argv) {
  return nubrel::NubrelApp::main(argc, argv);
}
