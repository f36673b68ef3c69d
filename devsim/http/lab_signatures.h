// How the lab's update server signs what it serves: with the lab's key,
// with a key made at start that nobody trusts, or not at all.
#pragma once

#include <string>

#include "update_server.h"

namespace devsim {

// mode: "lab", "other_key" or "none". An empty signer (none, or no key
// file) serves no signatures. False with a message when the key cannot be
// read.
bool labSigner(const std::string& mode, const std::string& keyFile, UpdateServer::Signer* signer,
               std::string* error);

}  // namespace devsim
