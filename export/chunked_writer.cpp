#include "export/chunked_writer.h"

namespace tavimo {

bool TwoProcessors() { return platform::ProcessorCount() > 1; }

}  // namespace tavimo
