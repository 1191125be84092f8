#!/usr/bin/env python3
"""The independent reader of the mail tests: Python's email package.

  py_email_check.py read FILE...   one block of lines per file: sender, recipients,
                                   subject, body text and attachments as
                                   Python reads the encoder's output
  py_email_check.py queued FILE... as read, then "date: " + the Date header read
                                   back as ISO time with its offset and
                                   "message-id: " + the Message-ID header
  py_email_check.py corpus FILE... one block of lines per file: the attachments the
                                   message model should find (count, names,
                                   decoded sizes), derived from Python's parse
                                   tree with the model's own rules
"""
import binascii
import email
import email.policy
import email.utils
import hashlib
import os
import re
import sys


def addr_list(values):
    return [[n, a] for n, a in email.utils.getaddresses(values)]


def read(path, headers=False):
    with open(path, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    out = {
        "file": os.path.basename(path),
        "from": addr_list(msg.get_all("From", []))[:1],
        "to": addr_list(msg.get_all("To", [])),
        "cc": addr_list(msg.get_all("CC", [])),
        "subject": str(msg.get("Subject", "")),
        "body": None,
        "attachments": [],
        "defects": [type(d).__name__ for d in msg.defects],
    }
    leaves = [p for p in msg.walk() if not p.is_multipart()]
    for i, p in enumerate(leaves):
        name = p.get_filename()
        data = p.get_payload(decode=True) or b""
        if name is None and i == 0 and p.get_content_maintype() == "text":
            cs = p.get_content_charset() or "us-ascii"
            out["body"] = data.decode(cs, "replace").replace("\r\n", "\n")
            continue
        out["attachments"].append({
            "name": name if name is not None else "",
            "type": p.get_content_type(),
            "size": len(data),
            "sha256": hashlib.sha256(data).hexdigest(),
        })
    text = canonical_read(out)
    if headers:
        date = msg.get("Date")
        text += "\ndate: " + (date.datetime.isoformat() if date and date.datetime else "-")
        text += "\nmessage-id: " + str(msg.get("Message-ID", "-"))
    print(text)


def esc(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def canonical_read(out):
    lines = ["file: " + out["file"]]
    for n, a in out["from"]:
        lines.append("from: %s <%s>" % (n, a))
    for n, a in out["to"]:
        lines.append("to: %s <%s>" % (n, a))
    for n, a in out["cc"]:
        lines.append("cc: %s <%s>" % (n, a))
    lines.append("subject: " + esc(out["subject"]))
    if out["body"] is not None:
        lines.append("body: " + esc(out["body"]))
    for att in out["attachments"]:
        lines.append("att: %s|%s|%d|%s" % (att["name"], att["type"], att["size"], att["sha256"]))
    return "\n".join(lines)


def uu_blocks(lines):
    """(name, size) of each uuencoded block of a plain text."""
    blocks = []
    have_end = [i for i, l in enumerate(lines) if l.strip() == b"end"]
    i = 0
    while i < len(lines):
        m = re.match(rb"^begin [0-7]{1,4} (.+)$", lines[i])
        if m and have_end and have_end[-1] > i:
            data = b""
            j = i + 1
            while j < len(lines) and lines[j].strip() != b"end":
                l = lines[j]
                if l and l != b"`":
                    try:
                        data += binascii.a2b_uu(l)
                    except binascii.Error:
                        n = (l[0] - 32) & 63
                        data += binascii.a2b_uu(l + b" " * 64)[:n]
                j += 1
            name = m.group(1).decode("latin-1").strip()
            blocks.append((os.path.basename(name.replace("\\", "/")), len(data)))
            i = j + 1
            continue
        i += 1
    return blocks


def decoded_size(part):
    """Size of a leaf part's decoded content; line ends counted as LF for
    the text codings (the model writes CR LF where the file has LF)."""
    data = part.get_payload(decode=True) or b""
    cte = (part.get("Content-Transfer-Encoding") or "").strip().lower()
    if cte != "base64":
        data = data.replace(b"\r\n", b"\n")
    return len(data)


def name_of(part, alternative, count):
    # The model takes the Content-Type "name" before the Content-Disposition
    # "filename" (Python's get_filename() prefers the latter).
    name = part.get_param("name") or part.get_filename()
    if isinstance(name, tuple):
        name = email.utils.collapse_rfc2231_value(name)
    if name:
        name = os.path.basename(str(name).replace("\\", "/")).strip()
    if not name:
        name = ("_alt." if alternative else "att.") + str(count)
    return name


def corpus(path):
    with open(path, "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    atts = []
    note = ""
    mime = (msg.get("MIME-Version") or "").strip().split(" ")[0].split("(")[0]
    ctype = (msg.get("Content-Type") or "")
    lct = str(ctype).lower()
    body_taken = [False]

    def add(part, alternative):
        name = name_of(part, alternative, len(atts))
        size = None if part.get_content_maintype() in ("multipart", "message") \
            else decoded_size(part)
        atts.append([name, size])

    def multipart(part, alternative, depth):
        if any(type(d).__name__ in ("StartBoundaryNotFoundDefect", "CloseBoundaryNotFoundDefect",
                                    "NoBoundaryInMultipartDefect")
               for d in part.defects):
            raise ValueError("boundary")
        children = part.get_payload()
        if not isinstance(children, list):
            raise ValueError("boundary")
        for i, child in enumerate(children):
            ctype = child.get_content_type()
            if i == 0 and not body_taken[0]:
                if child.get_content_maintype() == "multipart" and depth < 4:
                    multipart(child, alternative or ctype == "multipart/alternative", depth + 1)
                    continue
                disp = child.get_content_disposition()
                if ctype.startswith("text/") and not child.get_param("name") and \
                        not child.get_param("filename", header="content-disposition") and \
                        disp != "attachment":
                    body_taken[0] = True
                    continue
            add(child, alternative)

    if mime != "1.0":
        atts = [[n, s] for n, s in uu_blocks(raw.replace(b"\r\n", b"\n").split(b"\n"))]
        note = "uu"
    elif "multipart" in lct:
        try:
            multipart(msg, "multipart/alternative" in lct, 0)
        except ValueError:
            atts = [["original.eml", None]]
            note = "recovery"
    elif not str(ctype).strip() or "text/" in lct:
        if msg.get_param("name"):
            add(msg, False)
        else:
            blocks = uu_blocks(raw.replace(b"\r\n", b"\n").split(b"\n"))
            cte = (msg.get("Content-Transfer-Encoding") or "").strip().lower()
            if blocks and cte not in ("base64", "quoted-printable"):
                atts = [[n, s] for n, s in blocks]
                note = "uu"
    else:
        add(msg, False)
    lines = ["file: " + os.path.basename(path)]
    for name, size in atts:
        lines.append("att: %s|%s" % (name, "-" if size is None else size))
    print("\n".join(lines))


def main():
    mode, files = sys.argv[1], sys.argv[2:]
    for f in files:
        if mode in ("read", "queued"):
            read(f, mode == "queued")
        else:
            corpus(f)


if __name__ == "__main__":
    main()
