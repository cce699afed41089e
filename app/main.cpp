#include <QApplication>
#include <QFont>

#include "app/startup.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return startup::Main(app);
}
