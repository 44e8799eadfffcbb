// SPDX-License-Identifier: Apache-2.0
#include "app/varnet_app.h"

int main(int argc, char** argv) {
  varnet::CVarnetApp app(argc, argv);
  auto registry = varnet::MakeSystemRegistry();
  return app.Run(*registry);
}
