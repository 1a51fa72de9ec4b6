#!/usr/bin/env python3
"""Prints the round on which the revision 6 hash of the empty user password
ends for the PDF named, and by how much the last byte was under the bound
that ended it: the hash runs at least 64 rounds, and make.sh keeps a file
whose hash ends on exactly the 64th, and one whose byte meets the bound
exactly, to test those limits."""
import hashlib
import re
import sys

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

SHA2 = (hashlib.sha256, hashlib.sha384, hashlib.sha512)


def hash_rounds(salt):
    k = hashlib.sha256(salt).digest()
    for r in range(1, 10000):
        cipher = Cipher(algorithms.AES(k[:16]), modes.CBC(k[16:32])).encryptor()
        e = cipher.update(k * 64) + cipher.finalize()
        k = SHA2[sum(e[:16]) % 3](e).digest()
        if r >= 64 and e[-1] <= r - 32:
            return r, r - 32 - e[-1], k[:32]
    raise SystemExit("no end")


user = bytes.fromhex(re.search(rb"/U\s*<([0-9a-fA-F]+)>", open(sys.argv[1], "rb").read())
                     .group(1).decode())
rounds, margin, hashed = hash_rounds(user[32:40])
if hashed != user[:32]:
    raise SystemExit("the empty password is not the user's")
print(rounds, margin)
