// The questions' names and their unattended answers. Each is a switch over every question, so that
// the compiler (-Wswitch, an error in CI) refuses a new question without a name or an answer.
#include "setup/install/InstallQuestions.h"

const char* QuestionName(TQuestion question) {
    switch (question) {
    case TQuestion::ReplaceNewerFile:
        return "ReplaceNewerFile";
    case TQuestion::ClosePrograms:
        return "ClosePrograms";
    case TQuestion::FileInUse:
        return "FileInUse";
    }
    return "?";
}

const char* AnswerName(TAnswer answer) {
    switch (answer) {
    case TAnswer::Yes:
        return "Yes";
    case TAnswer::No:
        return "No";
    case TAnswer::Retry:
        return "Retry";
    case TAnswer::AtRestart:
        return "AtRestart";
    case TAnswer::Cancel:
        return "Cancel";
    }
    return "?";
}

TAnswer UnattendedAnswer(TQuestion question) {
    switch (question) {
    case TQuestion::ReplaceNewerFile:
        // Keep the installed file: it was made or installed later than the setup's own.
        return TAnswer::No;
    case TQuestion::ClosePrograms:
        // Leave the user's programs open (unsaved work); what they hold is replaced at restart.
        return TAnswer::No;
    case TQuestion::FileInUse:
        // Nobody is there to close the program: the restart finishes the installation.
        return TAnswer::AtRestart;
    }
    return TAnswer::No;
}
