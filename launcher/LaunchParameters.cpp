#include "LaunchParameters.h"

#include "Flavour.h"

LaunchParameters LaunchParameters::forInstallation(const std::string &installDir,
                                                   const std::string &hsqldbPort,
                                                   const ParameterReader &reader) {
    LaunchParameters p;
    p.java.javaHome = reader.readValue("Java", "JavaHome");
    if (p.java.javaHome.empty())
        p.java.javaHome = installDir + "\\java";
    p.java.jvm = reader.readValue("Java", "Jvm");
    if (p.java.jvm.empty())
        p.java.jvm = installDir + "\\java\\jre\\bin\\client\\jvm.dll";
    p.java.options = {"-Xoss400K", "-Dsun.java2d.noddraw=true", "-Dinstall.dir=" + installDir,
                      "-Dport.hsqldb=" + hsqldbPort};
    p.java.classpath = ".;" + installDir + "\\aplicacao\\site\\WEB-INF\\classes\\";
    p.java.jvmMs = 32;
    p.java.jvmMx = 256;
    p.java.jvmSs = 512;

    p.log.path = installDir + flavour::kLogSubfolder;
    p.log.stdError = installDir + flavour::kJavaOutputFile;
    p.log.stdOutput = p.log.stdError;
    p.log.level = "\x02"; // one character of code 2: reads as level 0, so never -verbose:all

    p.start.className = flavour::kMonitorClass;
    p.start.params = {flavour::kMainClass};
    p.start.mode = "jvm";
    return p;
}
