#include "ui/page_commands.h"

#include "platform/log.h"
#include "ui/ui_commands.h"

bool PageMayPost(uint32_t command) {
  switch (command) {
    case UI_START:
    case UI_CONTINUE:
    case UI_PAUSE:
    case UI_HELP:
    case UI_CHOOSE_FOLDER:
    case UI_CLOSE:
      return true;
    default:
      LogFormat("page link to command %u ignored\n", command);
      return false;
  }
}
