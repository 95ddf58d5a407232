#pragma once

#include <QString>

// The licence, warranty and distribution terms and the credits shown on the
// About panel.
QString LicenseText();
