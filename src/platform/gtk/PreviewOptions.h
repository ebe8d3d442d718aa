#pragma once

#include <string>
#include <vector>

class GlimraOptions;

// The values the dialog's controls hold, as the saver's command-line options for one run: what the
// preview pane shows and what the full-screen preview is started with, so that both show what Ok
// would save. Each control gives its last valid position, never the text it may show meanwhile.
// A size or a face name beyond what the options take is bounded as the engine bounds it.
[[nodiscard]] std::vector<std::string> PreviewOptions(const GlimraOptions& options);
