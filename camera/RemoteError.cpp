#include "camera/RemoteError.h"

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const RemoteError& a, const RemoteError& b) {
  return a.code == b.code && a.where == b.where;
}

bool operator!=(const RemoteError& a, const RemoteError& b) { return !(a == b); }

void to_json(nlohmann::json& j, const RemoteError& e) {
  j = nlohmann::json{{"code", e.code}, {"where", e.where}};
}

void from_json(const nlohmann::json& j, RemoteError& e) {
  detail::readField(j, "code", e.code);
  detail::readField(j, "where", e.where);
}

}  // namespace vyk
