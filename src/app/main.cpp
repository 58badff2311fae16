#include "shell/DataFolders.h"
#include "shell/LogSaver.h"
#include "shell/UserTexts.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrowick"));
    g_installTranslation();
    logsaver_install_msghandler(g_dataSaveDir().filePath(QStringLiteral("qlogs")), 10);

    // The main window arrives with the views; until then the application opens
    // an empty window so the start-up path is exercised.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Ferrowick"));
    auto* label = new QLabel(QStringLiteral("Ferrowick"), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(900, 600);
    window.show();
    return app.exec();
}
