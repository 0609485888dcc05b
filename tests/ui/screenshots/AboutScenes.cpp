// SPDX-License-Identifier: MIT
#include "AboutViewModel.h"
#include "Scenes.h"
#include "ViewHarness.h"

namespace {

const SceneRegistration about(QStringLiteral("about"), [] {
    AboutViewModel model(QStringLiteral("1.0.0"), QString(), QDate(2026, 12, 7));
    ViewHarness view(QStringLiteral("AboutView"), {{"viewModel", QVariant::fromValue(&model)}});
    return view.grab();
});

} // namespace
