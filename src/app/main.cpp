// SPDX-License-Identifier: GPL-3.0-or-later
#include "client_start.h"

int main(int argc, char** argv)
{
    return kovrel::RunClient(argc, argv);
}
