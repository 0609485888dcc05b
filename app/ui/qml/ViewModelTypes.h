// SPDX-License-Identifier: MIT
#pragma once

// The view models, known to QML by name. They are created in C++ and handed
// to the views as required properties, never created from QML.
#include "AboutViewModel.h"

#include <QtQml/qqml.h>

struct AboutViewModelForeign {
    Q_GADGET
    QML_FOREIGN(AboutViewModel)
    QML_NAMED_ELEMENT(AboutViewModel)
    QML_UNCREATABLE("Created by the application")
};
