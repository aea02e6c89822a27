// A made setup is this project's setup template with the support record and the archives added
// as resources. Only a template is accepted: it carries the mark "PARLAVOX"/"TEMPLATE", which
// the made setup no longer has, and it must not be signed yet, because adding resources would
// break the signature (signing comes after).
#pragma once

#include "tools/pe/ResourceTree.h"

#include <string>
#include <vector>

// An executable that cannot serve as the template; the message says why.
class ESetupTemplate : public Exception {
    using Exception::Exception;
};

// The resources of the template's mark.
extern const char* const TemplateMarkType;
extern const char* const TemplateMarkName;
extern const char* const TemplateMarkText;

// Checks the template (raises ESetupTemplate) and returns the made setup's bytes: the template's
// own resources without the mark, plus `added` (type, name and data; the language is the mark's),
// with the data of the template's resources named in `replaced` (which must exist) replaced.
std::vector<uint8_t> MakeSetupImage(std::vector<uint8_t> templateBytes, std::vector<TResource> added,
                                    const std::vector<TResource>& replaced = {});
