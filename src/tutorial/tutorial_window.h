// The tutorial as the main window reaches it (defined in tutorial_*.cpp).
#pragma once

class TMainForm;
class TTutor_Form;

// The tutorial is a window of its own, created after the main window: it
// connects itself when it is built.
void connectTutorialHandlers(TMainForm& form, TTutor_Form& tutor);
