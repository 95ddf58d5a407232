#pragma once

// The commands that subsystems add to the command line. Each declares its run
// function here, defines it in a file of its own in this folder and adds one
// entry, with its rank, to the table in CommandLine.cpp.
#include <QGuiApplication>
#include <memory>

#include "cli/CommandArguments.h"
#include "shell/Settings.h"

namespace JSONEVENTS {
class JsonEvents;
}

namespace COMMANDLINE {

// For the commands that draw text: Qt's application object (null when one
// exists already), and the settings file their options are laid over.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();
SETTINGS::Settings ReadSettings(const Arguments& args);

// Takes "--progress json" out of a job's or a queue's arguments: true when
// it was there. error: what is wrong with another value, or with none.
bool TakeJsonProgress(Arguments& args, std::string& error);

int RunJob(const Arguments& args, std::ostream& out, std::ostream& err);
// The same job; `stopped` tells a job stopped by a signal from one that failed.
int RunJob(const Arguments& args, std::ostream& out, std::ostream& err, bool& stopped);
// The same, its --progress json events naming the source they are about.
int RunJob(const Arguments& args, std::ostream& out, std::ostream& err, bool& stopped,
           const std::string& eventSource);

// A job of a run whose events go to `events` (for the queue's --progress
// json); its arguments take no --progress of their own.
int RunJob(const Arguments& args, std::ostream& out, std::ostream& err, bool& stopped,
           JSONEVENTS::JsonEvents* events);
int RunQueue(const Arguments& args, std::ostream& out, std::ostream& err);
int RunSubtitlesToText(const Arguments& args, std::ostream& out, std::ostream& err);
int RunWatch(const Arguments& args, std::ostream& out, std::ostream& err);
int RunQueueAdd(const Arguments& args, std::ostream& out, std::ostream& err);
int RunListCompressors(const Arguments& args, std::ostream& out, std::ostream& err);
int RunListEntries(const Arguments& args, std::ostream& out, std::ostream& err);
int RunProbe(const Arguments& args, std::ostream& out, std::ostream& err);
int RunAlignSubtitles(const Arguments& args, std::ostream& out, std::ostream& err);
int RunSnapshot(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace COMMANDLINE
