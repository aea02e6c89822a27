// The questions an installation may have to put while it runs, each by name, and who answers
// them: the wizard asks the person at the desktop in a box; a run without anyone there (/S)
// answers each by its documented default (docs/ADMINISTRATORS.md). The installation itself never
// shows a box, so both ways of running it are the same installation.
#pragma once

#include <string>

// Every question the installation puts, by name.
enum class TQuestion {
    // An installed file is newer than the member that would replace it: replace it? (Yes, No)
    ReplaceNewerFile,
    // Programs use files that the installation must replace: close them? (Yes, No)
    ClosePrograms,
    // A file is still in use after the retries: try again, replace it at the next restart, or
    // end the installation? (Retry, AtRestart, Cancel)
    FileInUse,
};

enum class TAnswer { Yes, No, Retry, AtRestart, Cancel };

// The question's name, as the log and the documentation give it ("ReplaceNewerFile").
const char* QuestionName(TQuestion question);

// The answer of a run without anyone at the desktop: whatever keeps what is there.
TAnswer UnattendedAnswer(TQuestion question);

// Who answers the installation's questions.
class TQuestionPolicy {
public:
    // text: the question as a person reads it, to be answered Yes or No.
    virtual TAnswer Ask(TQuestion question, const std::string& text) = 0;

protected:
    ~TQuestionPolicy() = default;
};

// The policy of the unattended run: every question gets its UnattendedAnswer, but ClosePrograms
// gets Yes when the command line asked for it (/CLOSEAPPLICATIONS).
class TUnattendedAnswers : public TQuestionPolicy {
public:
    explicit TUnattendedAnswers(bool closePrograms = false) : ClosePrograms(closePrograms) {}
    TAnswer Ask(TQuestion question, const std::string&) override {
        if (question == TQuestion::ClosePrograms && ClosePrograms) return TAnswer::Yes;
        return UnattendedAnswer(question);
    }

private:
    bool ClosePrograms;
};

// The answer as the log gives it ("Yes", "Retry", ...).
const char* AnswerName(TAnswer answer);
