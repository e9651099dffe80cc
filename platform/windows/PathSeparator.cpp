#include "platform/Platform.h"

namespace platform {

const char kPathSeparator = '\\';

}  // namespace platform
