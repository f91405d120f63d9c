#!/usr/bin/env bash
# Renders the diagrams of docs/ from their text sources. Graphviz is needed by this step
# only, so it is installed here and not among the build's dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v dot >/dev/null; then
  SUDO=
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  echo "render-docs: installing graphviz"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends graphviz >/dev/null
fi

for source in docs/*.dot; do
  dot -Tsvg "$source" -o "${source%.dot}.svg"
  echo "render-docs: ${source%.dot}.svg"
done
