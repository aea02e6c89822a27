// The questions' names and their unattended answers. Each is a switch over every question, so that
// the compiler (-Wswitch, an error in CI) refuses a new question without a name or an answer.
#include "setup/install/InstallQuestions.h"

const char* QuestionName(TQuestion question) {
    switch (question) {
    case TQuestion::ReplaceNewerFile:
        return "ReplaceNewerFile";
    }
    return "?";
}

TAnswer UnattendedAnswer(TQuestion question) {
    switch (question) {
    case TQuestion::ReplaceNewerFile:
        // Keep the installed file: it was made or installed later than the setup's own.
        return TAnswer::No;
    }
    return TAnswer::No;
}
