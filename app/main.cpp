#include "app/CQuillpostApp.h"

int main(int argc, char** argv) {
    CQuillpostApp app(argc, argv);
    return app.Run();
}
