// The About box: the program, its credits, its terms and its web page.
#pragma once

class QWidget;

namespace vantrel {

void showAboutBox(QWidget* parent);

}  // namespace vantrel
