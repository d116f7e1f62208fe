#pragma once

class QDialog;

// The frame of the program's dialogs and message boxes: a caption with a close button only. Window
// managers that follow the toolkit's hints (KWin, xfwm4, Windows) offer neither minimise nor maximise
// then; openbox keeps its minimise for every dialog whatever the hints say, so a minimise is undone at
// once: minimising a modal window takes its owner along, and the program would be left with no window
// on screen and no badge to bring it back.
namespace ModalFrame {

// Before the dialog is first shown.
void closeButtonOnly(QDialog* dialog);

} // namespace ModalFrame
