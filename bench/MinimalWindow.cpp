// The yardstick for the console's start-up figures: the least a Qt Widgets program does to put a
// captioned window with a label and a button on the screen, built with the same compiler flags.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Hello"), &window));
    layout->addWidget(new QPushButton(QStringLiteral("OK"), &window));
    window.resize(1102, 518);
    window.show();
    return QApplication::exec();
}
