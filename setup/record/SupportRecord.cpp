// TMainForm's support record: found as the resource "PARLAVOX"/"SUPPORT" or in the fallback file
// beside the executable, then split into name, description, author and creation date.
#include "setup/MainForm.h"

#include "setup/record/DateTimeText.h"
#include "setup/record/KoParser.h"

std::optional<std::string> TMainForm::LoadSupportRecord() {
    if (std::optional<std::string> resource = Desktop.LoadResource("PARLAVOX", "SUPPORT")) {
        const size_t nul = resource->find('\0');
        if (nul != std::string::npos) resource->resize(nul);
        return resource;
    }
    const std::string path = GetFallbackFileName(1);
    if (!Desktop.FileExists(path)) {
        ShowMessage(path + " file is missing!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return std::nullopt;
    }
    return Desktop.ReadFirstLine(path);
}

void TMainForm::ParseSupportRecord(const std::string& record) {
    TKoAnsiParser parser(record, '\t');
    parser.NextString();
    FDictionaryName = parser.NextString();
    Controls.SetText(TControlName::Description, parser.NextString());
    Controls.SetText(TControlName::Author, parser.NextString());
    FCreated = parser.NextFloat();
    Controls.SetText(TControlName::Created, DateTimeToDisplayText(Desktop, FCreated));
}
