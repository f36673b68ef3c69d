// The window skin: one style sheet kept as a compressed resource.
#pragma once

class QApplication;

void applySkin(QApplication& app);
