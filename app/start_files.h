#pragma once
// The files the desktop program is started with:
//
//   tonalith [--preset FILE] [FILE]
//
// `--preset FILE` is always a preset. A bare FILE is told apart by what it
// holds: one that begins as a WAV file ("RIFF" ... "WAVE") becomes the
// source, one that begins as a JSON object ("{") is a preset; one that shows
// neither (missing, empty, unreadable) is a preset when its name ends in
// ".json" and the source otherwise, so the I/O page says what is wrong with
// it. Names are made absolute: a second start hands them to a running
// instance, which may work in another folder.
//
// A second start hands them over as lines of text: "--preset FILE" for the
// preset, then FILE for the source; a start with neither sends one empty
// line.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct StartFiles {
  QString preset;  // a preset to load, or empty
  QString source;  // a WAV file to make the source, or empty
};

// Reads the arguments after the program's name; a later file of a kind
// replaces an earlier one. What is not understood lands in *unknown, one
// entry per argument.
StartFiles ParseStartArguments(const QStringList& arguments, QStringList* unknown);

// True when the file at `path` is read as a preset rather than as a WAV file.
bool IsPresetFile(const QString& path);

// The request a second start sends for `files`, and one of its lines
// (without the line end) read back into `files`.
QByteArray StartRequest(const StartFiles& files);
void ReadStartRequestLine(const QString& line, StartFiles* files);
