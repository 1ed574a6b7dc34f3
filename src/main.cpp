#include "app/application.h"

int main(int argc, char *argv[])
{
    return tarvoni::runApplication(argc, argv);
}
