// Entry point of the Linux program.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "browser/browser_window.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/process_command_line.h"
#include "ui/terminal/front_end.h"
#include "workflow/command_line.h"

namespace {
constexpr const char* kUsage =
    "Uso: tovi-downloader [ARCHIVO_PARCIAL]\n"
    "Descarga el instalador de Tovi y lo inicia al terminar.\n"
    "ARCHIVO_PARCIAL continúa una descarga interrumpida (el acceso directo\n"
    "del escritorio lo pasa).\n"
    "\n"
    "Teclas: i INICIAR, c CONTINUAR, p PAUSAR, Enter la acción visible,\n"
    "f elegir carpeta, o abrir la página, h ayuda, q cerrar.\n"
    "\n"
    "  --help     muestra esta ayuda\n"
    "  --version  muestra la versión\n";
}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::fputs("Tovi Downloader 2.1 (29:0)\n", stdout);
    return 0;
  }
  // Kept as one text, as Windows keeps its command line, and as the list
  // itself, which alone carries a double quote in a file name.
  const std::vector<std::string> arguments(argv, argv + argc);
  SetProcessCommandLine(JoinCommandLine(arguments));
  SetProcessArguments(arguments);
  SetLogPath(EnsureTrailingSeparator(TemporaryDirectory()) + "log.txt");
  TheMainView = CreateFrontEnd();
  auto* window = new Q9BrowserWindow(nullptr, 0);
  TheApplication = CreateApplication(window);
  TheApplication->Run();
  DestroyApplication();
  // The terminal back as it was when the loop ends without ExitImmediately.
  RunBeforeExitHook();
  return 0;
}
