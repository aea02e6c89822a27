// The template's checks and the made setup's resource section, which holds every resource, the
// template's own ones copied. It replaces the template's resource section where only base
// relocations and debugging sections follow it (as the linker lays out a setup); otherwise it is
// appended and the old section stays in place under another name, so nothing referred to moves.
#include "tools/pe/SetupTemplate.h"

#include <algorithm>
#include <cstring>

const char* const TemplateMarkType = "PARLAVOX";
const char* const TemplateMarkName = "TEMPLATE";
const char* const TemplateMarkText = "Parlavox Dictionary Setup template";

namespace {

bool IsMark(const TResource& resource) {
    const size_t length = std::strlen(TemplateMarkText);
    return resource.Type == TResourceId::Named(TemplateMarkType) &&
           resource.Name == TResourceId::Named(TemplateMarkName) && resource.Data.size() >= length &&
           std::equal(TemplateMarkText, TemplateMarkText + length, resource.Data.begin());
}

} // namespace

std::vector<uint8_t> MakeSetupImage(std::vector<uint8_t> templateBytes, std::vector<TResource> added,
                                    const std::vector<TResource>& replaced) {
    std::vector<TResource> resources;
    try {
        TPeImage image(std::move(templateBytes));
        if (image.Directory(SecurityDirectory).Size != 0)
            throw ESetupTemplate("the template is signed; make the setup from an unsigned template and sign "
                                 "the made setup afterwards");
        resources = ReadResources(image);
        auto mark = std::find_if(resources.begin(), resources.end(), IsMark);
        if (mark == resources.end() &&
            std::any_of(resources.begin(), resources.end(), [](const TResource& r) {
                return r.Type == TResourceId::Named("PARLAVOX") && r.Name == TResourceId::Named("SUPPORT");
            }))
            throw ESetupTemplate("already a setup with a support record, not a template; use the "
                                 "setup-template.exe of the publisher's kit");
        if (mark == resources.end())
            throw ESetupTemplate("not a Parlavox Dictionary Setup template (no template mark); use the "
                                 "setup-template.exe of the publisher's kit");
        for (TResource& resource : added) resource.Language = mark->Language;
        resources.erase(mark);
        for (const TResource& resource : added)
            if (std::any_of(resources.begin(), resources.end(), [&](const TResource& r) {
                    return r.Type == resource.Type && r.Name == resource.Name;
                }))
                throw ESetupTemplate("the template already carries the resource it would be given");
        for (const TResource& replacement : replaced) {
            auto old = std::find_if(resources.begin(), resources.end(), [&](const TResource& r) {
                return r.Type == replacement.Type && r.Name == replacement.Name;
            });
            if (old == resources.end()) throw ESetupTemplate("the template lacks a resource it should carry");
            old->Data = replacement.Data;
        }
        resources.insert(resources.end(), added.begin(), added.end());

        const int index = image.ReplaceableSection(ResourceDirectory);
        if (index >= 0) {
            const uint32_t rva = image.Sections()[static_cast<size_t>(index)].VirtualAddress;
            return image.WithReplacedSection(index, BuildResourceSection(std::move(resources), rva),
                                             ResourceDirectory);
        }
        const uint32_t rva = image.NextSectionRva();
        const uint32_t characteristics = 0x40000040; // initialised data, readable
        return image.WithAppendedSection(".rsrc", BuildResourceSection(std::move(resources), rva),
                                         characteristics, ResourceDirectory, ".rsrc", ".rsrc0");
    } catch (const EPeFormat& e) {
        throw ESetupTemplate(std::string("not a usable setup template: ") + e.what());
    }
}
