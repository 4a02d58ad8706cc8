#!/usr/bin/env python3
"""Lists a Maildir++ tree as Python's own mailbox and email modules read it,
so tests can check the store against a reader nobody here wrote.

Usage: read_maildir.py ROOT [FOLDER]
Prints "folder<TAB>name" per subfolder of ROOT, then per message of the
folder (the root when FOLDER is absent), in file-name order:
"message", "subject", "from-name", "from-address", "date" (seconds since
1970), "flags" and "html" lines, each "key<TAB>value" with the value
JSON-quoted so line breaks survive.
"""
import email.policy
import email.utils
import json
import mailbox
import sys


def main():
    root = sys.argv[1]
    box = mailbox.Maildir(root, factory=None, create=False)
    for name in sorted(box.list_folders()):
        print("folder\t" + json.dumps(name))
    if len(sys.argv) > 2:
        box = box.get_folder(sys.argv[2])
    for key in sorted(box.keys()):
        msg = box.get_message(key)
        parsed = email.message_from_bytes(msg.as_bytes(), policy=email.policy.default)
        name, address = email.utils.parseaddr(str(parsed.get("From", "")))
        date = parsed.get("Date")
        seconds = int(email.utils.parsedate_to_datetime(str(date)).timestamp()) if date else -1
        body = parsed.get_body(preferencelist=("html",))
        html = body.get_content() if body is not None else ""
        print("message\t" + json.dumps(key))
        print("subject\t" + json.dumps(str(parsed.get("Subject", ""))))
        print("from-name\t" + json.dumps(name))
        print("from-address\t" + json.dumps(address))
        print("date\t" + json.dumps(seconds))
        print("flags\t" + json.dumps(msg.get_flags()))
        print("html\t" + json.dumps(html))


if __name__ == "__main__":
    main()
