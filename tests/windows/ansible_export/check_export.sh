#!/usr/bin/env bash
# Exports an install and an uninstall of the demo package from the real window under Wine, then
# has Ansible itself check the files: the inventory yields exactly the list's computers, the
# playbook passes the syntax check, and every task's arguments are the module's own documented
# ones. Last, it shows that the argument check does catch a misspelt option or a wrong state.
# Usage: check_export.sh ansible_export_tests.exe install.msi   (in a Wine session)
set -euo pipefail
tests_exe=$1
package=$2
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

product_code=$(msiinfo export "$package" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
echo "the package's own product code (msiinfo): $product_code"
[ -n "$product_code" ]

VANTREL_EXPORT_DIR=$out VANTREL_DEMO_PRODUCT_CODE=$product_code wine "$tests_exe"

export ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=$out/.ansible-tmp ANSIBLE_HOME=$out/.ansible
for job in install uninstall; do
  echo "== $job"
  cd "$out/$job"
  hosts=$(ansible-inventory -i inventory.ini --list |
          python3 -c 'import json, sys; print(" ".join(json.load(sys.stdin)["targets"]["hosts"]))')
  echo "inventory: $hosts"
  [ "$hosts" = "PC-LAB-01 pc-lab-02 localhost" ]
  ansible-playbook -i inventory.ini deploy.yml --syntax-check
  python3 "$here/check_tasks.py" deploy.yml
done

echo "== the argument check catches mistakes"
cd "$out/install"
mistake() {
  sed "$1" deploy.yml > wrong.yml
  if python3 "$here/check_tasks.py" wrong.yml; then
    echo "not caught: $1" >&2
    exit 1
  fi
}
mistake 's/state: present/state: installed/'
mistake 's/product_id:/product_code:/'
mistake 's/expected_return_code: \[0, 1641, 3010\]/expected_return_code: 0/'
mistake 's/        path: /        username: '\''CORP\\deploy'\''\n        path: /'
mistake 's/expected_return_code:/expected_return_codes:/'
mistake "s/\[0, 1641, 3010\]/['0', 1641]/"
mistake 's/ansible.windows.win_reboot:/ansible.windows.win_reboot:\n        reboot_timout: 600/'
echo "== all export checks passed"
