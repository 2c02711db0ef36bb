"""Cards for the image's trusted releases (2, 3 and 3b), which take only cards signed for the family
velkor-vm by a signer that the image's update CA certified (build-image.sh keeps ca.pem and ca.key
in the image folder)."""

import pathlib
import subprocess

# The device family of the trusted releases, as build-image.sh writes it into their target file.
COMPATIBLE = "velkor-vm"
MANIFEST = "velkor-manifest.json"


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, capture_output=True)


class CardSigner:
    """A signing key and a certificate from the image's update CA, of the profile the device takes
    (digitalSignature, no extended key usage), made in folder."""

    def __init__(self, image, folder):
        folder = pathlib.Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        self.key, self.certificate = folder / "signer.key", folder / "signer.pem"
        request, extensions = folder / "signer.csr", folder / "signer.ext"
        openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-noenc", "-keyout",
                str(self.key), "-out", str(request), "-subj", "/CN=Velkor VM Update Signer")
        extensions.write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n")
        image = pathlib.Path(image)
        openssl("x509", "-req", "-in", str(request), "-CA", str(image / "ca.pem"), "-CAkey", str(image / "ca.key"),
                "-CAcreateserial", "-days", "30", "-extfile", str(extensions), "-out", str(self.certificate))

    def sign(self, card):
        """Signs the card's manifest with plain `openssl cms -sign` into velkor-manifest.json.sig."""
        manifest = pathlib.Path(card) / MANIFEST
        openssl("cms", "-sign", "-binary", "-outform", "DER", "-in", str(manifest), "-signer", str(self.certificate),
                "-inkey", str(self.key), "-out", f"{manifest}.sig")
