#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/wizard/PageRules.h"

namespace lm::wizard {

// How a walk over the pages ended.
struct WalkResult {
    bool reachedSummary = false;
    std::vector<int> visited;
    // The page that stopped the walk and the box that said why (a refused entry, or a warning the
    // person did not accept).
    int stoppedAt = 0;
    std::optional<PageMessage> stop;
    bool declined = false;  // the stop was a warning that `accept` did not accept
};

// Walks the pages from `from` to the summary page as a person would who types the values of
// `wanted` named in `given` into the pages' controls: each page initialised, the values typed where
// they differ from what the page shows (with the control's own rules run; a disabled or hidden
// control takes nothing), and Next pressed.
// `accept` is shown every box a page raises on the way; a warning it does not accept stops the walk.
WalkResult walkPages(WizardModel& model, int from, const DeviceSettings& wanted,
                     const std::set<std::string>& given,
                     const std::function<bool(int page, const PageMessage&)>& accept);

}  // namespace lm::wizard
