// Driving the main window from the keyboard alone.
#pragma once

class TMainForm;

// Enter in the login fields presses the login button; Enter or Space on a
// camera of the device list does what a double-click does; the password
// field is masked, with a toggle inside it that shows what was typed.
void connectKeyboardHandlers(TMainForm& form);

// Tab walks the visible controls as the page reads (row by row, left to
// right). Run again whenever the layout moves controls.
void followPageTabOrder(TMainForm& form);

// The folded login panel's controls stay "visible" to Qt though they are
// cut off: Tab must not walk into them. A focus left inside moves on to the
// page.
void keepFoldedPanelOutOfTab(TMainForm& form);
