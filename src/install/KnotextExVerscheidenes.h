// The context-menu extensions: the DOS prompt on folders and drives, the extended Explorer
// view on every shell folder, path copying on folders and files, and Notepad as the
// program for files of unregistered type, with their flags. Four registry scripts and
// direct writes; report and continue, every script line its own statement.
#pragma once

namespace install {

// Spelling kept deliberately: the installation's record and the options page know the step
// by this name.
void KnotextExVerscheidenes();

} // namespace install
