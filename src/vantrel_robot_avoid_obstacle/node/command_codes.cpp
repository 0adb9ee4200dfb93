#include "node/command_codes.h"

namespace command_code {

std::string legFailureMessage(const char* what, int32_t leg_code, const char* code_text) {
  return std::string(what) + (leg_code == kPlanningFailed ? "(path plan)" : "(arm controller run)") + code_text;
}

}  // namespace command_code
